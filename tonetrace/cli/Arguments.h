// Reading option values of the command line: whole numbers and decimals within a range.
#pragma once

// True with `value` set when `text` is all one number within [low, high].
bool ParseWhole(const char* text, long low, long high, int& value);
bool ParseDecimal(const char* text, double low, double high, double& value);
