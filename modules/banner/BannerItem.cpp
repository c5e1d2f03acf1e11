#include "modules/banner/BannerItem.h"

#include <QLabel>

BannerItem::~BannerItem()
{
    delete label;
}
