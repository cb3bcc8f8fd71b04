// Bridge connectors hold the CAD session their commands use, so they live
// until the library is unloaded rather than with the connector.
#pragma once

#include <memory>

namespace ZUBCAX {

void KeepBridge(std::shared_ptr<void> bridge);
std::size_t KeptBridgeCount();

}  // namespace ZUBCAX
