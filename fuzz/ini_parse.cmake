vela_add_fuzz(NAME ini_parse SOURCE ${CMAKE_CURRENT_LIST_DIR}/ini_parse.cpp LIBS vela_config)
