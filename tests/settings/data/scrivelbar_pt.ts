<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt">
<context>
    <name></name>
    <message id="test.greeting">
        <source>test.greeting</source>
        <translation>Olá de Portugal</translation>
    </message>
    <message id="test.table">
        <source>test.table</source>
        <translation>pt</translation>
    </message>
</context>
</TS>
