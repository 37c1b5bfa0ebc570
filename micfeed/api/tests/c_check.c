/* Compiled as C11: the player's interface header is plain C and its layout assertions hold
 * in C too. */
#include "TunedeckPlugin.h"

static int32_t ReadNothing(void* data, char* buffer, uint32_t frames)
{
	(void)data;
	(void)buffer;
	(void)frames;
	return 0;
}

const decoder_ops tunedeck_c_check_ops = {
	TUNEDECK_OPERATIONS_MAGIC, TUNEDECK_RECORD_VERSION, 0, 0, 0, ReadNothing, {0}};
