#include "media/FileInterface.h"

BFileInterface::BFileInterface() : BMediaNode("file interface")
{
	AddNodeKind(B_FILE_INTERFACE);
}
