// A tiny shared library that the add-on image tests load.
extern "C" {

__attribute__((visibility("default"))) int test_addon_answer()
{
	return 42;
}

__attribute__((visibility("default"))) int test_addon_value = 7;
}
