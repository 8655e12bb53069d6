// Builds without vector support (PELMORA_USE_HIGHWAY=OFF) run the scalar rows.
#include "FieldRows.h"

namespace pelmora {

void computeFieldRows(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                      float* fieldY, std::vector<Contact>& contacts) {
    computeFieldRowsScalar(input, begin, end, fieldX, fieldY, contacts);
}

const char* fieldRowsTarget() { return "scalar"; }

}  // namespace pelmora
