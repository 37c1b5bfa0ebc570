#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "kernel/Image.h"

TEST(Images, LoadFindUnloadAndClearErrors)
{
	image_id image = load_add_on(KERNEL_TEST_ADDON_PATH);
	ASSERT_GT(image, 0) << image_error();
	void* symbol = nullptr;
	ASSERT_EQ(get_image_symbol(image, "test_addon_answer", B_SYMBOL_TYPE_TEXT, &symbol), B_OK);
	EXPECT_EQ(reinterpret_cast<int (*)()>(symbol)(), 42);
	ASSERT_EQ(get_image_symbol(image, "test_addon_value", B_SYMBOL_TYPE_DATA, &symbol), B_OK);
	EXPECT_EQ(*static_cast<int*>(symbol), 7);
	EXPECT_EQ(get_image_symbol(image, "no_such_symbol", B_SYMBOL_TYPE_ANY, &symbol), B_MISSING_SYMBOL);
	EXPECT_NE(std::string(image_error()).find("no_such_symbol"), std::string::npos);
	EXPECT_EQ(unload_add_on(image), B_OK);
	EXPECT_EQ(unload_add_on(image), B_BAD_IMAGE_ID);
	EXPECT_EQ(get_image_symbol(image, "test_addon_answer", B_SYMBOL_TYPE_TEXT, &symbol), B_BAD_IMAGE_ID);

	EXPECT_EQ(load_add_on("/nonexistent/plugin.so"), B_ENTRY_NOT_FOUND);
	EXPECT_NE(std::string(image_error()).find("/nonexistent/plugin.so"), std::string::npos);
	EXPECT_EQ(load_add_on(nullptr), B_BAD_VALUE);
	EXPECT_EQ(load_add_on("/tmp"), B_IS_A_DIRECTORY);

	// A file that is not a library is refused with the loader's explanation.
	char path[] = "/tmp/not-a-library-XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	FILE* f = fdopen(fd, "w");
	std::fputs("this is text, not code\n", f);
	std::fclose(f);
	EXPECT_EQ(load_add_on(path), B_NOT_AN_EXECUTABLE);
	EXPECT_STRNE(image_error(), "");
	std::remove(path);
}
