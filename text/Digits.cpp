#include "text/Digits.h"

const char kDigitsLower[17] = "0123456789abcdef";
const char kDigitsUpper[17] = "0123456789ABCDEF";
const wch kWideDigitsLower[17] = W("0123456789abcdef");
const wch kWideDigitsUpper[17] = W("0123456789ABCDEF");
