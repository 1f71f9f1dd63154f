// tolvane: the command-line front end of the library.
#include <iostream>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) {
        std::cerr << "usage: tolvane <command> ...\n";
        return 2;
    }
    return 2;
}
