// The window's crossing between the engine's bytes and Qt's strings.
#include <string>

#include <gtest/gtest.h>

#include "window/local_text.h"

namespace qelvor {
namespace {

// A received record may hold NUL bytes; a conversion that stops at the first
// one cuts the rest of the record off the shown text and off what is sent back.
TEST(LocalText, EveryByteCrossesBothWaysNulIncluded) {
    const std::string bytes("A\0B\0\0\xC3\xA9", 7);
    const QString text = LocalText(bytes);
    ASSERT_EQ(text.size(), 6);
    EXPECT_EQ(std::make_tuple(text[1], text[5], LocalBytes(text)),
              std::make_tuple(QChar(u'\0'), QChar(u'\u00E9'), bytes));
    EXPECT_EQ(LocalBytes(QString(QChar(u'\0'))), std::string(1, '\0'));
}

}  // namespace
}  // namespace qelvor
