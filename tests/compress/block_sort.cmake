# Block-sorting codec: format facts, encoder parts, round trips, damaged streams.
vela_add_gtest(NAME block_sort_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/block_sort_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/block_sort_codec_test.cpp
  LIBS vela_compress_encode vela_compress_decode vela_fatal_throw vela_test_support)
