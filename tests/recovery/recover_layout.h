#pragma once
// A layout with every item the recovery dialog uses, for its tests.

inline const char* RecoverLayout() {
    return "<layer title='r' width='378' height='240' noborder='1'><body>"
           "<imgbtn id='1002' pos='350,0,370,20'/>"
           "<dlg id='5000' pos='0,20,-0,-0'><realwnd id='5003' pos='10,10,250,32'/>"
           "<imgbtn id='5004' pos='260,10,340,32'/><richtext id='5007' pos='10,40,360,80'/>"
           "<imgbtn id='5008' pos='10,150,120,175'/><imgbtn id='5010' pos='250,150,360,175'/></dlg>"
           "<dlg id='6000' pos='0,20,-0,-0' show='0'><text id='6002' pos='10,10,360,30'/>"
           "<progress id='6003' pos='10,40,360,50' min='0' max='100' value='0'/>"
           "<imgbtn id='6004' pos='10,150,120,175'/></dlg>"
           "<dlg id='7000' pos='0,20,-0,-0' show='0'><text id='7002' pos='10,10,360,30'/>"
           "<imgbtn id='7004' pos='10,150,120,175'/><imgbtn id='7006' pos='250,150,360,175'/>"
           "<link id='7008' pos='10,40,360,60'/></dlg></body></layer>";
}
