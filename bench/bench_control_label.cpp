// bench_control_label.cpp
int main() { return 0; }
