# The settings file: records, record lists, compressed block stream, load and save.

# zlib for this library and its users. The Windows programs carry no DLLs
# beside them, so there the static archive is linked rather than the import
# library of zlib1.dll that the package search finds first.
add_library(mb_config_zlib INTERFACE)
set(_mb_zlib_static "")
if(WIN32)
  foreach(_mb_zlib_lib ${ZLIB_LIBRARY_RELEASE} ${ZLIB_LIBRARY} ${ZLIB_LIBRARIES})
    get_filename_component(_mb_zlib_dir "${_mb_zlib_lib}" DIRECTORY)
    if(NOT _mb_zlib_static AND EXISTS "${_mb_zlib_dir}/libz.a")
      set(_mb_zlib_static "${_mb_zlib_dir}/libz.a")
    endif()
  endforeach()
endif()
if(_mb_zlib_static)
  target_link_libraries(mb_config_zlib INTERFACE "${_mb_zlib_static}")
  target_include_directories(mb_config_zlib INTERFACE ${ZLIB_INCLUDE_DIRS})
else()
  target_link_libraries(mb_config_zlib INTERFACE ZLIB::ZLIB)
endif()

add_library(mb_config_file STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SettingsRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecDataStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp)
target_link_libraries(mb_config_file PUBLIC mb_base mb_config_zlib)
