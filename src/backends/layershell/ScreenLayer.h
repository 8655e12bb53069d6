#pragma once

namespace pelmora {

// Where a layer surface sits in the compositor's stack.
enum class ScreenLayer { Overlay, Background };

}  // namespace pelmora
