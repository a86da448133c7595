// Conversions that turn instrument replies into output lines. They read a
// few settings (and the clock), touch no socket and print nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// Whether the echo of outgoing commands is shown: not in brief output.
bool EchoOn();

// Strips one line end (LF, then CR), then applies /xc and /xsk.
std::string TransformReply(std::string_view reply);
// The same on the reply itself: a large reply is not copied (only /xc,
// which makes it longer, builds it anew).
void TransformReplyInPlace(std::string &reply);

// The timestamp that ends an output line for the TimestampFormat setting;
// "" when no timestamp switch was given.
std::string TimestampSuffix();
// The same for a given format setting, moment and time separator.
std::string FormatTimestamp(int format, const LocalDateTime &time, std::string_view timeSeparator);

// A binary reply as "No Data", a hex list, or decoded Modbus values.
std::string DecodeModbusReply(std::string_view reply);

// The views of a binary reply (Settings.ModbusView: /mbi 1 ... /mbs 5).
enum ModbusViewMode { kHexView = 0, kWordView = 1, kLongView = 2, kFloatView = 3, kBitsView = 4, kTextView = 5 };

// The general floating-point form used for Modbus floats: shortest form, up
// to 15 significant digits, exponent form ("1.5E20", "-1E-20") below 1E-4
// and from 1E15 on, the locale's decimal separator.
std::string FormatGeneralFloat(double value);
std::string FormatGeneralFloat(double value, std::string_view decimalSeparator);
