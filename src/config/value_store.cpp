#include "value_store.h"

#include <cstring>
#include <memory>

namespace vexilo {
namespace {

int block_size(const Configuration& config, const ObjectRecord& object) {
    if (object.class_index < 0 || object.class_index >= config.class_count) return 0;
    const int size = config.classes[object.class_index].data_size;
    return size > 0 ? size : 0;
}

}  // namespace

void compact_object_data(Configuration& config) {
    const int count = config.object_count < MAX_OBJECTS ? config.object_count : MAX_OBJECTS;
    long total = 0;
    for (int i = 0; i < count; ++i)
        total += block_size(config, config.objects[i]);
    // Blocks shared between objects would need more room apart than together; such a store
    // is left as it is.
    if (total > OBJECT_DATA_SIZE) return;

    auto packed = std::make_unique<unsigned char[]>(OBJECT_DATA_SIZE);
    std::memset(packed.get(), 0, OBJECT_DATA_SIZE);
    int used = 0;
    for (int i = 0; i < count; ++i) {
        ObjectRecord& object = config.objects[i];
        const int size = block_size(config, object);
        if (size > 0 && object.data_offset >= 0 && object.data_offset <= OBJECT_DATA_SIZE - size) {
            std::memcpy(packed.get() + used, config.object_data + object.data_offset,
                        static_cast<std::size_t>(size));
        }
        object.data_offset = used;
        used += size;
    }
    std::memcpy(config.object_data, packed.get(), OBJECT_DATA_SIZE);
    config.data_used = used;
}

}  // namespace vexilo
