vela_add_fuzz(NAME archive_read SOURCE ${CMAKE_CURRENT_LIST_DIR}/archive_read.cpp LIBS vela_archive_read vela_fatal_throw)
