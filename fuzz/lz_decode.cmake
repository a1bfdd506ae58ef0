vela_add_fuzz(NAME lz_decode SOURCE ${CMAKE_CURRENT_LIST_DIR}/lz_decode.cpp LIBS vela_compress_decode vela_fatal_throw)
