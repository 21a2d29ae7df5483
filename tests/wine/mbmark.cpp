// Writes its command line into the file named by MBMARK_FILE (or mbmark.txt
// beside itself) and ends: proof for a test that it was started.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    char file[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("MBMARK_FILE", file, MAX_PATH)) {
        GetModuleFileNameA(nullptr, file, MAX_PATH);
        char* slash = std::strrchr(file, '\\');
        std::strcpy(slash ? slash + 1 : file, "mbmark.txt");
    }
    FILE* f = std::fopen(file, "w");
    if (!f) return 1;
    for (int i = 1; i < argc; ++i) std::fprintf(f, "%s%s", i > 1 ? " " : "", argv[i]);
    std::fprintf(f, "\n");
    std::fclose(f);
    return 0;
}
