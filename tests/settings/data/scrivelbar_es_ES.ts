<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name></name>
    <message id="test.greeting">
        <source>test.greeting</source>
        <translation>Hola desde España</translation>
    </message>
    <message id="test.table">
        <source>test.table</source>
        <translation>es_ES</translation>
    </message>
</context>
</TS>
