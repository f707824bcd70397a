// Ends with the exit code given as its argument. A failing stand-in installer runs it as a
// custom action, so that Windows Installer rolls the installation back.
#include <cstdlib>

int main(int argc, char** argv)
{
    return argc > 1 ? std::atoi(argv[1]) : 1;
}
