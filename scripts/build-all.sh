# Sourced: mb_build_all configures and builds native (with sanitizers), win32 and win64.
mb_build_all() {
  local root=${ROOT:?} build=${BUILD:?} jobs=${JOBS:-2}
  cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMB_SANITIZE=ON >/dev/null &&
  cmake --build "$build/native" -j "$jobs" &&
  cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMB_BUILD_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null &&
  cmake --build "$build/win32" -j "$jobs" &&
  cmake -S "$root" -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null &&
  cmake --build "$build/win64" -j "$jobs"
}
