#pragma once
// Identifiers of the program's data resources (type "CUSTOM"); shared by the resource
// script and the code, so it holds nothing but the numbers.
#define IDR_NOTICE_SOUND 102
#define IDR_HELP_TEXT 104
