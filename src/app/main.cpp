// Process entry. The command mode is checked before anything needs a display.

int main() { return 0; }
