#include "common/corvanel_core/impl/xr_positionproviderimplmaemo.h"

#include "common/corvanel_core/impl/xr_fakepositionproducer.h"
#include "common/corvanel_core/impl/xr_gpsdpositionproducerimpl.h"
#include "common/corvanel_core/impl/xr_wifipositionproducerwpsapi.h"

void XrPositionProviderImplMaemo::create_producers(XrFsm* fsm, XrEventloopBase* loop, bool simulate)
{
    if (simulate) {
        add_producer(new XrFakePositionProducer(loop), XrString("Fake"));
    } else {
        if (XrPositionProducer* gpsd = XrGpsdPositionProducerImpl::create(fsm, loop))
            add_producer(gpsd, XrString("GPSD"));
        if (XrPositionProducer* wifi = XrWifiPositionProducerWpsApi::create(fsm, loop))
            add_producer(wifi, XrString("Wifi"));
    }
    initialize();
}
