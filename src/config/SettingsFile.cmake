# The settings file: records, record lists, compressed block stream, load and save.
add_library(mb_config_file STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SettingsRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecDataStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp)
target_link_libraries(mb_config_file PUBLIC mb_base ZLIB::ZLIB)
