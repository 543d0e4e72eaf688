// frame_commands_test.cpp
