<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
</context>
</TS>
