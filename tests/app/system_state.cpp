#include "system_state.h"

void RemoveControlFiles()
{
    DeleteFileA((SystemDirectory() + "\\IMOCX32.OCX").c_str());
    DeleteFileA((SystemDirectory() + "\\IMTWAIN3.OCX").c_str());
}
