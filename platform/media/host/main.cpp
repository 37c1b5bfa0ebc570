// mediahost: loads a media add-on and lists, describes or runs its nodes (see MediaHost.h).
#include "MediaHost.h"

#include <csignal>
#include <iostream>

namespace {

void Interrupted(int)
{
	mediahost_interrupt();
}

}  // namespace

int main(int argc, char** argv)
{
	struct sigaction action = {};
	action.sa_handler = &Interrupted;
	sigaction(SIGINT, &action, nullptr);
	sigaction(SIGTERM, &action, nullptr);
	std::vector<std::string> arguments(argv + 1, argv + argc);
	return mediahost_main(arguments, std::cout, std::cerr);
}
