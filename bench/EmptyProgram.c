// A program that does nothing: the floor of a program's start-up.
int main(void) { return 0; }
