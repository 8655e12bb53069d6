#include "FieldRows.h"
#include "FirstNaN.h"

namespace pelmora {

void computeFieldRowsScalar(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                            float* fieldY, std::vector<Contact>& contacts) {
    for (std::int32_t i = begin; i < end; ++i) {
        const float xi = input.snapX[i];
        const float yi = input.snapY[i];
        float sumX = 0.0F;
        float sumY = 0.0F;
        for (std::int32_t j = 0; j < input.count; ++j) {
            if (j == i) {
                continue;
            }
            const float dx = xi - input.snapX[j];
            const float dy = yi - input.snapY[j];
            const double dxWide = dx;
            const double dyWide = dy;
            const auto s = static_cast<float>(addFirstNaN(dxWide * dxWide, dyWide * dyWide));
            if (s == 0.0F) {
                continue;
            }
            const double sWide = s;
            if (input.recordContacts && s < input.contactDistanceSquared) {
                contacts.push_back(Contact{i, j});
            }
            const auto chargeJ = static_cast<double>(input.charge[j]);
            sumX = static_cast<float>(addFirstNaN(sumX, (chargeJ * dxWide) / sWide));
            sumY = static_cast<float>(addFirstNaN(sumY, (chargeJ * dyWide) / sWide));
        }
        fieldX[i] = sumX;
        fieldY[i] = sumY;
    }
}

}  // namespace pelmora
