// Depth in sea water from sea pressure, as TEOS-10 defines it: the height
// at which the geopotential balances the dynamic enthalpy of the Standard
// Ocean (Absolute Salinity 35.16504 g/kg, Conservative Temperature 0 degC),
// with a dynamic height of zero.
#pragma once

namespace zolt {

// Gravity at the sea surface at a latitude in degrees, m/s^2: the normal
// gravity formula that TEOS-10 uses.
double surfaceGravity(double latitude);

// Dynamic enthalpy of the Standard Ocean at sea pressure `dbar`, J/kg: the
// specific volume of the 75-term polynomial at that salinity and
// temperature, integrated over pressure.
double standardOceanEnthalpy(double dbar);

// Depth in metres, positive down, at sea pressure `dbar` (absolute pressure
// less the pressure at the surface) and a latitude in degrees. A negative
// sea pressure gives a negative depth: a height above the surface.
double seaDepth(double dbar, double latitude);
// The same with the surface gravity of the latitude already known.
double seaDepthUnderGravity(double dbar, double gravity);

}  // namespace zolt
