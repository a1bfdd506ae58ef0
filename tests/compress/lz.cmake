# The LZ stream codec's tests: stated encodings, the encoder against a plain
# reference encoder, round trips, damaged streams.
vela_add_gtest(NAME lz_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lz_format_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/lz_encoder_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/lz_decoder_test.cpp
  LIBS vela_compress_encode vela_compress_decode vela_fatal_throw vela_test_support)
