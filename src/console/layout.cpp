#include "layout.h"

#include "texts.h"

namespace dialkite {

namespace {
constexpr int kPanelRowHeight = 410;
}

GridDesign gridDesign(GridId id)
{
    using namespace texts;
    switch (id) {
    case GridId::Calls:
        return {"MSFlexGrid1",
                kLogRows,
                4,
                {{690, 2400, 2800, 760}, 0, {kChannel, kTimeReceived, kNumberReceived, kState}}};
    case GridId::Sent:
        return {"MSFlexGrid2", kLogRows, 2, {{660, 5000}, 0, {kRowNumber, kSentData}}};
    case GridId::Received:
        return {"MSFlexGrid3", kLogRows, 2, {{660, 5000}, 0, {kRowNumber, kReceivedData}}};
    case GridId::Device:
        return {"MSFlexGrid4", 2, 1, {{1310}, kPanelRowHeight, {kDeviceName}}};
    case GridId::Identification:
        return {"MSFlexGrid5", 2, 2, {{1310, 1310}, kPanelRowHeight, {kDeviceName, kVersion}}};
    case GridId::Port:
        return {"MSFlexGrid6", 2, 1, {{1310}, kPanelRowHeight, {kPortPanel}}};
    case GridId::Detection:
        return {"MSFlexGrid7", 2, 1, {{1310}, kPanelRowHeight, {kDetectionPanel}}};
    }
    return {"", 0, 0, {}};
}

} // namespace dialkite
