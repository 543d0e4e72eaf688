// frame_view_edits_test.cpp
