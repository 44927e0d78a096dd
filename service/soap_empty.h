// Input of soapcpp2: the service declares no SOAP operations; the generated glue only
// satisfies the engine's serializer hooks.
