// The fonts the report engine prints with. Reports name the families of their
// design, Arial and Times New Roman; Liberation Sans and Liberation Serif
// stand for them (same widths). QRCheckFonts installs the substitutions once
// and says in the log when a family does not resolve to its stand-in, since
// the pages would then be laid out with other widths.
#pragma once

namespace vendrik {

// Installs the substitutions and checks them; runs once per process (needs a
// QGuiApplication for the check).
void QRCheckFonts();

}  // namespace vendrik
