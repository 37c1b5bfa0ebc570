#include "kernel/Errors.h"

const char* strerror_status(int status)
{
	switch (status) {
		case 0: return "No error";
		case -1: return "General error";
		case B_NO_MEMORY: return "Out of memory";
		case B_IO_ERROR: return "I/O error";
		case B_PERMISSION_DENIED: return "Permission denied";
		case B_BAD_INDEX: return "Index not in range for the data set";
		case B_BAD_TYPE: return "Bad argument type passed to function";
		case B_BAD_VALUE: return "Invalid argument";
		case B_MISMATCHED_VALUES: return "Mismatched values passed to function";
		case B_NAME_NOT_FOUND: return "Name not found";
		case B_NAME_IN_USE: return "Name in use";
		case B_TIMED_OUT: return "Operation timed out";
		case B_INTERRUPTED: return "Interrupted";
		case B_WOULD_BLOCK: return "Operation would block";
		case B_CANCELED: return "Operation canceled";
		case B_NO_INIT: return "Initialization failed";
		case B_BUSY: return "Device/File/Resource busy";
		case B_NOT_ALLOWED: return "Operation not allowed";
		case B_BAD_DATA: return "Bad data";
		case B_BAD_SEM_ID: return "Bad semaphore ID";
		case B_NO_MORE_SEMS: return "No more semaphores";
		case B_BAD_THREAD_ID: return "No such thread";
		case B_NO_MORE_THREADS: return "No more threads";
		case B_BAD_THREAD_STATE: return "Thread is inappropriate state";
		case B_BAD_PORT_ID: return "Bad port ID";
		case B_NO_MORE_PORTS: return "No more ports";
		case B_BAD_IMAGE_ID: return "Bad image ID";
		case B_BAD_ADDRESS: return "Bad address";
		case B_NOT_AN_EXECUTABLE: return "Not an executable";
		case B_MISSING_LIBRARY: return "Missing library";
		case B_MISSING_SYMBOL: return "Symbol not found";
		case B_BAD_REPLY: return "Bad reply";
		case B_DUPLICATE_REPLY: return "Duplicate reply";
		case B_MESSAGE_TO_SELF: return "Can't send message to self";
		case B_BAD_HANDLER: return "Bad handler";
		case B_ALREADY_RUNNING: return "Already running";
		case B_LAUNCH_FAILED: return "Launch failed";
		case B_FILE_ERROR: return "File error";
		case B_FILE_NOT_FOUND: return "File not found";
		case B_FILE_EXISTS: return "File or Directory already exists";
		case B_ENTRY_NOT_FOUND: return "No such file or directory";
		case B_NAME_TOO_LONG: return "File or Directory name too long";
		case B_NOT_A_DIRECTORY: return "Not a directory";
		case B_DIRECTORY_NOT_EMPTY: return "Directory not empty";
		case B_DEVICE_FULL: return "No space left on device";
		case B_READ_ONLY_DEVICE: return "Read-only file system";
		case B_IS_A_DIRECTORY: return "Is a directory";
		case B_NO_MORE_FDS: return "Too many open files";
		case B_CROSS_DEVICE_LINK: return "Cross-device link";
		case B_LINK_LIMIT: return "Too many symbolic links";
		case B_BUSTED_PIPE: return "Broken pipe";
		case B_UNSUPPORTED: return "Operation not supported";
		default: return "Unknown error";
	}
}
