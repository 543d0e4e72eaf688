// frame_view_edits.cpp
