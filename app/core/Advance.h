#pragma once

// An advance value in degrees, as the editors bound it and as it is turned
// into thousandths of a degree, the unit the variator stores.
//
// Two rules turn a value into thousandths, on purpose:
// - AdvanceToThousandths is the wire rule: a value goes to the variator
//   truncated toward zero, so a cell typed 12.3456 is sent as 12345. Whatever
//   the editors let through is sent as the user left it, never rounded up.
// - RoundToThousandths is the editors' rule for values they compute (the
//   range operations, a paste): a result is rounded, halves away from zero,
//   so "Установить значение…" 12.3456 stores 12.346, which the wire rule then
//   sends unchanged as 12346.
// Both first absorb the representation error of the double (to a millionth
// of a thousandth), so that 1.001 and ten steps of 0.01 count as what they
// look like.

// Bound of an advance value set by an editor: -32..32 (the table and the
// range operations include it; a chart step stays strictly inside).
constexpr double AdvanceLimit = 32.0;

// Whether a value lies within -32..32, both included (NaN does not).
bool AdvanceInBounds(double value);

// The value rounded to whole thousandths, halves away from zero; no negative
// zero. 1.0005 becomes 1.001.
double RoundToThousandths(double value);

// The value as the signed thousandths that go on the wire, truncated toward
// zero (12.3456 gives 12345, -4.0009 gives -4000), so that c / 1000.0 gives
// back c for every 16-bit code c. False when the result does not fit
// -32768..32767 or the value is not a number.
bool AdvanceToThousandths(double uoz, short* code);
// The advance a wire code stands for: its signed thousandths as degrees.
constexpr double AdvanceFromThousandths(int code) { return code / 1000.0; }
