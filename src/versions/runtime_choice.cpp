// The choice of the installed runtime across the machine's and the user's records.
#include "runtime_choice.h"

#include "versions.h"

RuntimeChoice chooseInstalledRuntime(const std::string& machine, const std::string& user, bool elevated)
{
    RuntimeChoice choice{machine, RuntimeScope::machine, false};
    if (user.empty()) {
        return choice;
    }
    if (elevated) {
        choice.userLeftOut = true;
        return choice;
    }
    // With the machine's first, a tie keeps the machine's: only a strictly higher one is the user's.
    if (user != machine && highestJava8Version({machine, user}) == user) {
        choice = {user, RuntimeScope::user, false};
    }
    return choice;
}

const char* scopeName(RuntimeScope scope)
{
    return scope == RuntimeScope::user ? "user" : "machine";
}
