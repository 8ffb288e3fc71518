/* Resource ids of the search program. Read by the resource compiler and by
   C++ alike: plain #defines only. */
#ifndef LUMSEK_RESOURCE_IDS_H
#define LUMSEK_RESOURCE_IDS_H

/* XML tables of the skinned UI. */
#define IDR_XML_SKIN_TABLE    60000
#define IDR_XML_STYLE_TABLE   60001
#define IDR_XML_STRING_TABLE  60002

#endif
