vela_add_fuzz(NAME block_sort_decode SOURCE ${CMAKE_CURRENT_LIST_DIR}/block_sort_decode.cpp LIBS vela_compress_decode vela_fatal_throw)
