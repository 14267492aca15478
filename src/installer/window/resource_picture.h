// Pictures stored among the executable's own resources, for Qt's widgets.
#pragma once

#include <QPixmap>
#include <string>

namespace tessaline {

// The picture in the resource `name`, in any format Qt reads (BMP, PNG, ICO);
// a null pixmap when its bytes are no picture Qt can read. Throws the
// resource lookup's error ("Resource %s not found") when there is no such
// resource.
QPixmap ResourcePicture(const std::string& name);

}  // namespace tessaline
