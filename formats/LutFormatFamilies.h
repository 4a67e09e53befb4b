// Factories of the format families, one group per source file. The format table in LutFormat.cpp
// calls them; a new family adds its group here and names its factories in the table's rows.
#pragma once

#include <memory>

namespace tintwise {

class TLUTFormat;
using TLutFormatFactory = std::unique_ptr<TLUTFormat> (*)();

// CubeFormats.cpp
std::unique_ptr<TLUTFormat> NewCube3DTruelightLutFormat();
std::unique_ptr<TLUTFormat> NewCube3DLutFormat();
std::unique_ptr<TLUTFormat> NewCube1DLutFormat();
std::unique_ptr<TLUTFormat> NewNucoda3DLutFormat();
std::unique_ptr<TLUTFormat> NewNucoda1DLutWriterFormat();
std::unique_ptr<TLUTFormat> NewFSI_CFE_3DLutFormat();

// ThreeDLFormat.cpp
std::unique_ptr<TLUTFormat> New3dlLutFormat();

// LustreFormats.cpp
std::unique_ptr<TLUTFormat> NewLustre3DLutFormat();
std::unique_ptr<TLUTFormat> NewPandora3DLutFormat();
std::unique_ptr<TLUTFormat> NewLustre1DLutFormat();

// FsiDitFormat.cpp
std::unique_ptr<TLUTFormat> NewFSI_DIT_3DLutFormat();

} // namespace tintwise
