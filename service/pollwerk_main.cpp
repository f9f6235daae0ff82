#include "service/commands.h"

int main(int argc, char** argv) {
    ixan::PollwerkActions actions;
    return ixan::pollwerkMain(argc, argv, actions);
}
