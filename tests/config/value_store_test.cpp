#include "config/value_store.h"

#include <gtest/gtest.h>

#include <memory>

#include "config/field_text.h"
#include "config/reader.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

TEST(CompactObjectData, FreesStaleBlocksAndKeepsEveryValue) {
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    std::vector<std::string> lines = {
        "[LISTS]",   "[CLASSES]",    "!Pump",   "Volume;0;1000;1;1;ul", "&Label", "!Plain",
        "[OBJECTS]", "Pump;A;1;one", "Plain;B", "Pump;C;3;three"};
    test::MessageRecorder messages;
    ASSERT_TRUE(read_configuration(*config, lines));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(read_object_line(*config, "Pump;A;11;eleven", 0));
    ASSERT_TRUE(read_object_line(*config, "Pump;C;33;thirty-three", 2));
    const int block = config->classes[0].data_size;
    ASSERT_EQ(config->data_used, 53 * block);

    compact_object_data(*config);
    EXPECT_EQ(config->data_used, 2 * block);
    EXPECT_EQ(field_value_text(*config, config->objects[0], 0), "11");
    EXPECT_EQ(field_value_text(*config, config->objects[0], 1), "eleven");
    EXPECT_EQ(field_value_text(*config, config->objects[2], 0), "33");
    EXPECT_EQ(field_value_text(*config, config->objects[2], 1), "thirty-three");
    EXPECT_EQ(config->objects[2].data_offset, block);
    // The freed space is handed out again, and nothing past it holds old values.
    EXPECT_EQ(config->object_data[2 * block + 4], 0);
    ASSERT_TRUE(read_object_line(*config, "Pump;D;4;four", 3));
    EXPECT_EQ(config->objects[3].data_offset, 2 * block);
}

}  // namespace
}  // namespace vexilo
