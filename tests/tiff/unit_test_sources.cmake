# The engine's unit tests, for the native and Windows trees and the sanitizer build.
set(TIFF_UNIT_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/fax_codec_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_merge_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_append_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_coding_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tiff_reading_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tiff_test_support.cpp)
