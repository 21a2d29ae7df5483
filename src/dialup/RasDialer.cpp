#include "dialup/RasDialer.h"

std::unique_ptr<TRasDialClass> RasDialer;

static bool NoPhoneBook() { return false; }
bool (*DialUpAvailable)() = NoPhoneBook;
