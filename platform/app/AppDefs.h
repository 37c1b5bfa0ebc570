// Message codes the platform itself sends or understands.
#pragma once

#include "kernel/SupportDefs.h"

enum : uint32 {
	B_ABOUT_REQUESTED = '_ABR',
	B_ARGV_RECEIVED = '_ARG',
	B_CANCEL = '_CNC',
	B_MESSAGE_NOT_UNDERSTOOD = '_MNU',
	B_NO_REPLY = '_NRP',
	B_QUIT_REQUESTED = '_QRQ',
	B_READY_TO_RUN = '_RTR',
	B_REFS_RECEIVED = '_RRC',
	B_SAVE_REQUESTED = 'SAVE',
	B_SIMPLE_DATA = 'DATA',
	B_SILENT_RELAUNCH = 'AREL',   // a single-launch program started again without documents
	B_NODE_MONITOR = 'NDMN',
};
