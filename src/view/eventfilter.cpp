#include "eventfilter.h"

bool EventFilter::eventFilter(QObject *, QEvent *)
{
    return false;
}
