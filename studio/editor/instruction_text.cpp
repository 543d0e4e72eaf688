// instruction_text.cpp
