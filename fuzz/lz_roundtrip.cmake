vela_add_fuzz(NAME lz_roundtrip SOURCE ${CMAKE_CURRENT_LIST_DIR}/lz_roundtrip.cpp LIBS vela_compress_encode vela_compress_decode vela_fatal_throw)
