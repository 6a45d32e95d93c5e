// A single-precision reading as the tables give it: in the fewest decimal
// digits that identify the float (in fixed notation, as the tables write
// it), read back as a double, as any reader of the text does. The float
// 1.0125732f is 1.01257324218750, but the table says 1.0125732, which reads
// back as a different double.
#pragma once

namespace zolt {

double shortestDecimal(float value);

}  // namespace zolt
