// instruction_text_test.cpp
