// frame_commands.cpp
