#pragma once
// A list of text lines that some operation fills: the link's command queue, its output and
// configuration lists, or a plain vector in tests and in vexilo-cli.

#include <string>
#include <vector>

namespace vexilo {

class LineList {
  public:
    virtual ~LineList() = default;
    virtual void clear() = 0;
    virtual void add(std::string line) = 0;
};

class VectorLineList final : public LineList {
  public:
    void clear() override { lines.clear(); }
    void add(std::string line) override { lines.push_back(std::move(line)); }
    std::vector<std::string> lines;
};

}  // namespace vexilo
