#include "bridge_keeper.h"

#include <vector>

namespace ZUBCAX {
namespace {

std::vector<std::shared_ptr<void>>& Kept() {
    static std::vector<std::shared_ptr<void>> kept;
    return kept;
}

}  // namespace

void KeepBridge(std::shared_ptr<void> bridge) { Kept().push_back(std::move(bridge)); }

std::size_t KeptBridgeCount() { return Kept().size(); }

}  // namespace ZUBCAX
