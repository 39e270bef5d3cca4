// velto_sample_program: a program of version 1.40 that does nothing, for the update tests to offer as the new
// program.
int main() {
    return 0;
}
